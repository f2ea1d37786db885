// The one error value below the GUI: a file's failure carries the design's
// cause and its text, and a failure is never reported without a cause.
#include "platform/status.h"

#include <gtest/gtest.h>

namespace velkaro {
namespace {

TEST(Status, FileErrorsCarryTheirCauseThePathAndTheDesignedText) {
  const Status denied = Status::FromErrno(EACCES, "/x.vlk");
  EXPECT_FALSE(denied.ok());
  EXPECT_EQ(denied.code(), Status::Code::kFileError);
  EXPECT_EQ(denied.cause(), FileErrorCause::kAccessDenied);
  EXPECT_EQ(denied.path(), "/x.vlk");
  EXPECT_EQ(denied.message(), FileErrorText(FileErrorCause::kAccessDenied, "/x.vlk"));
  EXPECT_EQ(denied.last_error(), EACCES);  // the number "Error (N)" shows

  // errno 0 or a cause of kNone still reads as a failure.
  const Status no_cause = Status::FileError(FileErrorCause::kNone, "/y");
  EXPECT_FALSE(no_cause.ok());
  EXPECT_EQ(no_cause.cause(), FileErrorCause::kGeneric);
  EXPECT_FALSE(Status::FromErrno(0, "/y").ok());
}

}  // namespace
}  // namespace velkaro
