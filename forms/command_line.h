#pragma once

#include <string>
#include <vector>

// What a program built on the forms runtime accepts on its command line, as plain data that a
// backend turns into its parser and its help.
namespace forms {

// An option that does, once the form has loaded, what a user could do by hand to one control:
// for a text box, click into it and type the option's value; for a button, press it.
struct DemoOption {
  std::string name;       // the long name, without dashes
  std::string valueName;  // what the value is called in the help; empty for a switch
  std::string help;
  std::string control;  // a text box or button, by its name in the form's description
};

struct CommandLine {
  std::string program;  // the command's name, for its usage line
  std::string version;
  std::string summary;  // a paragraph that heads the help
  // Carried out in this order, whatever order they were given in.
  std::vector<DemoOption> demoOptions;
};

}  // namespace forms
