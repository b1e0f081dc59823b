// kelvane: prints the BitTorrent info hash of metainfo files.

#include <exception>
#include <new>

#include "base/Exceptions.h"
#include "base/StdOut.h"
#include "driver/FatalError.h"
#include "driver/Program.h"
#include "platform/Platform.h"

int main(int argc, char** argv) {
  using namespace kelvane;
  platform::Initialize(argc, argv);
  try {
    RunProgram();
    FlushStdOut();
  } catch (const Exception& error) {
    ReportFatalError(error.ClassName(), error.Message(), error.Address());
  } catch (const std::bad_alloc&) {
    ReportFatalError("EOutOfMemory", "Out of memory", nullptr);
  } catch (const std::exception& error) {
    ReportFatalError("Exception", error.what(), nullptr);
  }
  platform::Exit(0);
}
