#include "testsupport/program_messages.h"

#include "engine/app/spine/spine.h"
#include "engine/files/file_io.h"
#include "engine/gfx/display/ddraw_func.h"
#include "flow/game_boot.h"

namespace testsupport {

std::vector<std::string> ProgramMessageTexts() {
  return {
      kAlreadyRunningText,
      kNotInstalledText,
      CDdrawFunc::kInitFailedText,
      kShowWindowFailedText,
      FileIO::kNotFoundFirstLine,
      FileIO::kNotFoundLastLine,
  };
}

}  // namespace testsupport
