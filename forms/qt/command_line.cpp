#include "forms/qt/command_line.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <utility>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QTimer>

#include "forms/qt/terminal_text.h"

namespace forms::qt {

namespace {

void print(std::FILE* stream, const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), stream);
}

// The help or the version on standard output: an answer that could not be written is not a
// success.
int answer(const QString& program, const QString& text) {
  print(stdout, text);
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    print(stderr, QStringLiteral("%1: cannot write to standard output\n").arg(program));
    return 1;
  }
  return 0;
}

}  // namespace

std::optional<int> parseCommandLine(const QStringList& arguments, const CommandLine& commandLine,
                                    std::vector<DemoRequest>& requests) {
  const QString program = QString::fromStdString(commandLine.program);
  QCommandLineParser parser;
  // Every option has a long name; a word after a single dash is one option, not many letters.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.setApplicationDescription(QString::fromStdString(commandLine.summary));
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Show this help and exit."));
  const QCommandLineOption version(QStringLiteral("version"),
                                   QStringLiteral("Show the version and exit."));
  parser.addOption(help);
  parser.addOption(version);
  for (const DemoOption& option : commandLine.demoOptions) {
    parser.addOption(QCommandLineOption(QString::fromStdString(option.name),
                                        QString::fromStdString(option.help),
                                        QString::fromStdString(option.valueName)));
  }

  // The mistake quotes what was given, which must not break the line or command the terminal.
  const auto fail = [&program](const QString& mistake) {
    std::fputs((program + QStringLiteral(": ")).toLocal8Bit().constData(), stderr);
    std::fputs(terminalText(mistake).constData(), stderr);
    print(stderr, QStringLiteral("\nTry '%1 --help' for more information.\n").arg(program));
    return 2;
  };
  if (!parser.parse(arguments)) {
    return fail(parser.errorText());
  }
  // The parser takes the word after an option as its value whatever it is, so `--disks --run`
  // would type "--run" into the box and press nothing. A value that is one of the program's own
  // options is a forgotten value. An option's name is the word without its one or two dashes
  // and any "=value".
  const auto nameOf = [](const QString& word) {
    return word.startsWith(QLatin1Char('-'))
               ? word.mid(word.startsWith(QLatin1String("--")) ? 2 : 1)
                     .section(QLatin1Char('='), 0, 0)
               : QString();
  };
  const auto demoOption = [&commandLine](const QString& name) {
    return std::find_if(
        commandLine.demoOptions.begin(), commandLine.demoOptions.end(),
        [&name](const DemoOption& option) { return name == QString::fromStdString(option.name); });
  };
  for (qsizetype i = 1; i + 1 < arguments.size() && arguments[i] != QLatin1String("--"); ++i) {
    const auto option = demoOption(nameOf(arguments[i]));
    const bool awaitsValue = option != commandLine.demoOptions.end() &&
                             !option->valueName.empty() && !arguments[i].contains(QLatin1Char('='));
    const QString next = nameOf(arguments[i + 1]);
    if (awaitsValue && (help.names().contains(next) || version.names().contains(next) ||
                        demoOption(next) != commandLine.demoOptions.end())) {
      return fail(QStringLiteral("Missing value after '%1'.").arg(arguments[i]));
    }
  }
  if (!parser.positionalArguments().isEmpty()) {
    return fail(QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments()[0]));
  }
  if (parser.isSet(help)) {
    // Without an application object the parser cannot know the program's name.
    const QString text = parser.helpText();
    return answer(program, QStringLiteral("Usage: %1 [options]\n").arg(program) +
                               text.mid(text.indexOf(QLatin1Char('\n')) + 1));
  }
  if (parser.isSet(version)) {
    return answer(program, QStringLiteral("%1 %2\n").arg(
                               program, QString::fromStdString(commandLine.version)));
  }
  const QStringList given = parser.optionNames();
  for (const DemoOption& option : commandLine.demoOptions) {
    const QString name = QString::fromStdString(option.name);
    // Options are read once, when the window has loaded; a repeat could only be ignored.
    if (given.count(name) > 1) {
      return fail(QStringLiteral("Option '--%1' is given more than once.").arg(name));
    }
    if (parser.isSet(name)) {
      requests.push_back({&option, parser.value(name).toStdString()});
    }
  }
  return std::nullopt;
}

void scheduleDemo(QtRuntime& runtime, QObject& context, const FormDescription& description,
                  std::vector<DemoRequest> requests) {
  std::vector<std::function<void()>> steps;
  for (const DemoRequest& request : requests) {
    const std::string& control = request.option->control;
    for (const TextBoxEntry& entry : description.textBoxes) {
      if (entry.name == control && entry.box != nullptr) {
        TextBox* box = entry.box;
        // Typing means clicking into the box first, as a user must to be rid of its prompt.
        steps.emplace_back([box] { box->click(); });
        // The whole value at once, as a paste: one change per character would cost the square
        // of a long value's length.
        steps.emplace_back([box, text = request.value] { box->setText(text); });
      }
    }
    for (const ButtonEntry& entry : description.buttons) {
      if (entry.name == control && entry.button != nullptr) {
        CommandButton* button = entry.button;
        steps.emplace_back([button] { button->click(); });
      }
    }
  }
  if (steps.empty()) {
    return;
  }
  QTimer::singleShot(0, &context, [&runtime, steps = std::move(steps)] {
    for (const auto& step : steps) {
      runtime.dispatch(step);
    }
  });
}

}  // namespace forms::qt
