// A readable listing of a control's whole configuration: every item, in a fixed order, one line
// each. Two controls hold the same configuration exactly when their listings are equal; hosts show
// it, tests compare it.
#pragma once

#include <string>

#include "dtc/HeaderDTC.h"

namespace dtc {

std::string DescribeConfiguration(const HeaderDTC& control);

}  // namespace dtc
