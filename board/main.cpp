#include <memory>

#include "board/corvane.h"
#include "forms/qt/application.h"

int main(int argc, char** argv) {
  return forms::qt::runApplication(
      argc, argv, [](forms::Runtime& runtime) { return std::make_unique<Corvane>(runtime); });
}
