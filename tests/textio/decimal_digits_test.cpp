#include "textio/decimal_digits.hpp"

#include <gtest/gtest.h>
