// Feeds arbitrary text to the conversions and to both entry boxes, then presses Moves. Built
// with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer: any crash, hang, undefined
// behaviour or broken invariant below is a finding.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "board/corvane.h"
#include "forms/conversions.h"
#include "forms/headless/headless_runtime.h"

namespace {

void require(bool condition) {
  if (!condition) {
    std::abort();
  }
}

void checkConversions(const std::string& text) {
  const double value = forms::Val(text);
  require(!std::isnan(value));
  const auto integer = forms::CInt(value);
  require(!integer || (std::fabs(value - *integer) <= 0.5));
  require(std::isfinite(forms::CSng(value)));
  (void)forms::Str(value);
  const long length = forms::Len(text);
  require(forms::Len(forms::Left(text, length - 2)) == std::max(0L, length - 2));
  require(forms::Right(text, 1).size() == (text.empty() ? 0U : 1U));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  // The first line goes to the count box, the rest to the delay box.
  const std::size_t split = input.find('\n');
  const std::string count = input.substr(0, split);
  const std::string delay = split == std::string::npos ? std::string() : input.substr(split + 1);
  checkConversions(count);
  checkConversions(delay);

  forms::headless::HeadlessRuntime runtime;
  Corvane form(runtime);
  form.Form_Load();
  runtime.dispatch([&] { form.txtNumDisks.setText(count); });
  runtime.dispatch([&] { form.txtDelay.setText(delay); });
  require(std::isfinite(form.sngStepDelay));

  // The disks shown are always a stack from the bottom: 0..k-1.
  bool gap = false;
  for (const auto& disk : form.Picture1) {
    const bool shown = disk.Visible() != forms::False;
    require(!(shown && gap));
    gap = gap || !shown;
  }

  // A run with whatever count this is, but without waiting: a huge delay would make the
  // simulated clock the only thing that moves.
  runtime.dispatch([&] { form.txtDelay.setText("0"); });
  runtime.dispatch([&] { form.cmdMoves_Click(); });
  require(form.blnIdle == forms::False);
  require(form.strDisk.empty() && form.strPegRest.empty());
  return 0;
}
