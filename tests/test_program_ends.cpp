#include <QtTest>

#include <QAbstractButton>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "forms/application.h"
#include "window_fixture.h"

using namespace window_test;

// How the whole program ends, watched from outside: this test program runs itself again as the
// real application.
class ProgramEndsTest : public QObject {
  Q_OBJECT

 private slots:
  // How a whole program ends, watched from outside: an end during start-up ends it quietly
  // before the window shows; a handler that fails, during start-up or later, ends it with one
  // line on standard error and a failure status.
  void howTheProgramEnds_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    QTest::newRow("end during load") << "end during load" << 0 << QString();
    QTest::newRow("failure during load") << "failure during load" << 1 << "too long";
    QTest::newRow("failure in a click") << "failure in a click" << 1 << "bad_alloc";
  }
  void howTheProgramEnds() {
    QFETCH(QString, how);
    QFETCH(int, status);
    QFETCH(QString, said);
    QProcess child;
    QVERIFY2(runAgain(child, {"--child", how}), "the program did not end");
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), status);
    const QStringList ours =
        QString(child.readAllStandardError()).split('\n').filter(QRegularExpression("^corvane:"));
    QCOMPARE(ours.size(), said.isEmpty() ? 0 : 1);
    QVERIFY(said.isEmpty() || ours.first().contains(said));
  }
};

namespace {

// The test program run again as a child by howTheProgramEnds: the real application, with a
// form that ends or fails in the way asked.
class ChildForm final : public forms::Form {
 public:
  ChildForm(forms::Runtime& runtime, std::string how)
      : runtime_(runtime), how_(std::move(how)), form_(runtime) {}

  forms::FormDescription describe() override {
    forms::FormDescription description = form_.describe();
    if (how_ == "end during load") {
      description.onLoad = [this] {
        runtime_.Unload();
        runtime_.End();
      };
    } else if (how_ == "failure during load") {
      description.onLoad = [] { throw std::length_error("too long"); };
    } else {
      form_.cmdReset.onClick = [] { throw std::bad_alloc(); };
      QTimer::singleShot(0, [] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
          if (auto* reset = window->findChild<QAbstractButton*>("cmdReset")) {
            reset->click();
          }
        }
      });
    }
    return description;
  }

 private:
  forms::Runtime& runtime_;
  std::string how_;
  Corvane form_;
};

int runAsChild(const std::string& how) {
  int argc = 1;
  char name[] = "corvane";
  char* argv[] = {name, nullptr};
  const forms::CommandLine commandLine{"corvane", "", "", {}};
  return forms::runApplication(
      argc, argv, {"Corvane", "org.corvane.Corvane"}, commandLine,
      [&how](forms::Runtime& runtime) { return std::make_unique<ChildForm>(runtime, how); });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--child") == 0) {
    return runAsChild(argv[2]);
  }
  ProgramEndsTest test;
  return runTests(test, argc, argv);
}

#include "test_program_ends.moc"
