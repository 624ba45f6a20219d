#pragma once

#include <optional>
#include <string>
#include <vector>

#include <QStringList>

#include "forms/command_line.h"
#include "forms/description.h"
#include "forms/qt/qt_runtime.h"

namespace forms::qt {

// A demo option the user gave, with its value.
struct DemoRequest {
  const DemoOption* option = nullptr;
  std::string value;
};

// Reads the arguments (the program's own name first). Answers --help and --version on standard
// output and returns 0; reports a mistake in one line and a hint on standard error and returns
// 2. Otherwise returns nothing and leaves the demo options in `requests`, in the order they are
// to be carried out. Needs no application object, so it works without a display.
std::optional<int> parseCommandLine(const QStringList& arguments, const CommandLine& commandLine,
                                    std::vector<DemoRequest>& requests);

// Once the event loop runs, does to the form's controls what the requests ask, each through the
// runtime's dispatch exactly as the window delivers a user's click or typing. Nothing happens if
// `context` is gone by then.
void scheduleDemo(QtRuntime& runtime, QObject& context, const FormDescription& description,
                  std::vector<DemoRequest> requests);

}  // namespace forms::qt
