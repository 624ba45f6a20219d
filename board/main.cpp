#include <memory>

#include "board/corvane.h"
#include "forms/application.h"
#include "forms/command_line.h"

namespace {

// The desktop id is the name of the launcher entry and of the metadata under data/.
const forms::ProgramIdentity kIdentity{"Corvane", "org.corvane.Corvane"};

// For kiosks, classrooms and screen recordings: what a user would do first, done for them.
const forms::CommandLine kCommandLine{
    "corvane",
    CORVANE_VERSION,
    "Shows the three-peg disk puzzle and, at the press of Moves, animates its recursive\n"
    "solution, one disk at a time, from the left peg to the right one.",
    {
        {"disks", "N",
         "Once the window has loaded, click into the disk-count box and type N, as a user "
         "would; the box takes N by its own rules (1 to 7 disks).",
         "txtNumDisks"},
        {"delay", "S",
         "Then click into the delay box and type S, the pause after each step in seconds.",
         "txtDelay"},
        {"run", "", "Then press Moves, which starts a run if the boxes hold a count it can use.",
         "cmdMoves"},
    }};

}  // namespace

int main(int argc, char** argv) {
  return forms::runApplication(argc, argv, kIdentity, kCommandLine, [](forms::Runtime& runtime) {
    return std::make_unique<Corvane>(runtime);
  });
}
