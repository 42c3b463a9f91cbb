#include "textio/line_reader.hpp"

#include <gtest/gtest.h>
