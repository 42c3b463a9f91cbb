#include "textio/input_fields.hpp"

#include <gtest/gtest.h>
