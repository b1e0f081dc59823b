// kelvane: prints the BitTorrent info hash of metainfo files.

#include <exception>
#include <new>

#include "base/Exceptions.h"
#include "base/StdOut.h"
#include "driver/FatalError.h"
#include "driver/Program.h"
#include "platform/Conventions.h"
#include "platform/Platform.h"

int main(int argc, char** argv) {
  using namespace kelvane;
  platform::Initialize(argc, argv);
  int status = 0;
  try {
    const bool allGood = RunProgram();
    FlushStdOut();
    status = allGood || !platform::kConventions.ExitStatusTellsFailure ? 0 : 1;
  } catch (const Exception& error) {
    ReportFatalError(
        {error.ClassName(), error.Message(), error.Address(), error.Subject(), error.Code()});
  } catch (const std::bad_alloc&) {
    ReportFatalError({"EOutOfMemory", "Out of memory", nullptr, "", platform::kErrorNoMemory});
  } catch (const std::exception& error) {
    ReportFatalError({"Exception", error.what(), nullptr, "", 0});
  }
  platform::Exit(status);
}
