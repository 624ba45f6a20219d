#include <memory>

#include "board/corvane.h"
#include "forms/application.h"

int main(int argc, char** argv) {
  std::unique_ptr<Corvane> window;
  return forms::runApplication(argc, argv, [&window](forms::Runtime& runtime) {
    window = std::make_unique<Corvane>(runtime);
    return window->describe();
  });
}
