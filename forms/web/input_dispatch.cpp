#include "forms/web/input_dispatch.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

#include "forms/web/page.h"

namespace forms::web {

bool dispatchQueued(WebRuntime& runtime, const FormDescription& form,
                    const std::function<void()>& rescale) {
  bool any = false;
  std::int32_t out[3] = {0, 0, 0};
  for (int kind = cw_next_event(out); kind != kNoEvent; kind = cw_next_event(out)) {
    any = true;
    const auto index = static_cast<std::size_t>(out[0]);
    // The page hands over the text; it is ours to free whatever happens next.
    std::unique_ptr<char, decltype(&std::free)> text(
        reinterpret_cast<char*>(static_cast<std::uintptr_t>(out[1])), &std::free);
    if (kind == kRatioChanged) {
      rescale();
    } else if (kind == kButtonClicked && index < form.buttons.size()) {
      CommandButton* button = form.buttons[index].button;
      runtime.dispatch([button] { button->click(); });
    } else if (index < form.textBoxes.size()) {
      TextBox* box = form.textBoxes[index].box;
      if (kind == kTextBoxClicked) {
        runtime.dispatch([box] { box->click(); });
      } else if (kind == kTextEdited && text != nullptr) {
        std::string value(text.get(), static_cast<std::size_t>(std::max(out[2], 0)));
        runtime.dispatch([box, &value] { box->setText(std::move(value)); });
      }
    }
    if (runtime.ended()) {
      break;
    }
  }
  return any;
}

}  // namespace forms::web
