#include "textio/files.hpp"

#include <gtest/gtest.h>
