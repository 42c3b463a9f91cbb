#include "model/device_model.hpp"

#include <gtest/gtest.h>
