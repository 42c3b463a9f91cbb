#include "textio/output_fields.hpp"

#include <gtest/gtest.h>
