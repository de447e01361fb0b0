#pragma once

namespace zavio {

// Visible and enabled states of the four paging buttons: "前へ" (previous),
// "次へ" (next), "50前へ" (back 50) and "５０次へ" (forward 50).
struct PageButtonStates {
    bool previousEnabled = false;
    bool nextEnabled = false;
    bool back50Visible = false;
    bool back50Enabled = true;
    bool forward50Visible = false;
    bool forward50Enabled = true;
    friend bool operator==(const PageButtonStates&, const PageButtonStates&) = default;
};

// The states after a count: paging from 20 pictures on, the 50-step buttons
// shown and enabled from 99 on. States the count does not decide are kept.
PageButtonStates buttonsAfterCount(int pictureCount, PageButtonStates current);

} // namespace zavio
