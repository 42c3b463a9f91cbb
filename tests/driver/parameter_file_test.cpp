#include "driver/parameter_file.hpp"

#include <gtest/gtest.h>
