// ctest-labels: unit
#include "serial/serial_open_failure.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

// The advice must hold even where the test runs as root, whom file modes never stop: the text is
// checked on the failure value itself.
TEST(SerialOpenFailure, PermissionDeniedSaysHowToGetAccess) {
    const SerialOpenFailure failure =
        MakeSerialOpenFailure(SerialOpenCause::PermissionDenied, EACCES, "/dev/ttyUSB0", "");
    const std::string text = SerialOpenFailureText(failure);
    EXPECT_EQ(text.rfind("permission denied (", 0), 0u) << text;
    EXPECT_NE(text.find("add yourself to the dialout group: sudo usermod -aG dialout $USER, then "
                        "log in again"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("uaccess"), std::string::npos) << text;
    EXPECT_EQ(text.back(), ')') << text;
}

}  // namespace
