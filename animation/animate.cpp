#include "board/corvane.h"
#include "forms/conversions.h"

namespace {

constexpr float kStep = 40.0f;
// How far above the left post's top a moving disk rises, to clear every post.
constexpr float kLiftAboveLeftPost = 1000.0f;

}  // namespace

// Carries one disk up, right, left and down in 40-twip steps with a pause after each. Every
// test reads its values afresh, since handlers that run in a pause may have moved the disk or
// changed the target. A reset is noticed only between phases: the phase under way finishes.
void Corvane::subAnimateDisk(std::int16_t& intToPeg, StackTops& intStackTop, int intDisk) {
  sngStepDelay = forms::CSng(forms::Val(txtDelay.Text()));
  const float sngLift = Picture2[0].Top() - kLiftAboveLeftPost;
  if (blnIdle != forms::False) {
    return;
  }

  forms::PictureBox& disk = Picture1[static_cast<std::size_t>(intDisk)];

  while (disk.Top() > sngLift) {
    disk.setTop(disk.Top() - kStep);
    subDelay(sngStepDelay);
  }
  if (blnIdle != forms::False) {
    return;
  }

  // Where the disk's Left would put its centre on the target post's centre line.
  const auto centringTarget = [&] {
    const forms::PictureBox& post = Picture2[static_cast<std::size_t>(intToPeg)];
    const double postLeft = post.Left();
    const double halfDisk = static_cast<double>(disk.Width()) / 2;
    const double halfPost = static_cast<double>(post.Width()) / 2;
    return static_cast<float>(postLeft - halfDisk + halfPost);
  };

  // Always right first, then left: the disk comes to rest just left of exact centring.
  while (disk.Left() <= centringTarget()) {
    disk.setLeft(disk.Left() + kStep);
    subDelay(sngStepDelay);
  }
  if (blnIdle != forms::False) {
    return;
  }
  while (disk.Left() >= centringTarget()) {
    disk.setLeft(disk.Left() - kStep);
    subDelay(sngStepDelay);
  }
  if (blnIdle != forms::False) {
    return;
  }

  // Once begun, lowering runs to its end even after a reset.
  for (;;) {
    const float top = disk.Top();
    const float height = disk.Height();
    const float landing = intStackTop[static_cast<std::size_t>(intToPeg)];
    if (!(top <= landing - height)) {
      break;
    }
    disk.setTop(disk.Top() + kStep);
    subDelay(sngStepDelay);
  }
}
