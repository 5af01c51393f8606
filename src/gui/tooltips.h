#pragma once

namespace qs {

class FormView;

// One line of Chinese on every option of the main window and of the data-input dialog, so
// that each says what it does without a manual. Controls a form lacks are passed over.
void ApplyToolTips(FormView& view);

}  // namespace qs
