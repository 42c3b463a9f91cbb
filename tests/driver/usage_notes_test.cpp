#include "driver/usage_notes.hpp"

#include <gtest/gtest.h>
