#pragma once

#include "app/control_model.h"
#include "encoding/output_text.h"

namespace qs {

// The output encoding and 繁简 conversion the main window's (hidden) option boxes ask for,
// read at the moment of use; a name that is not known asks for nothing.
OutputRequest OutputRequestOf(const Form& form);

}  // namespace qs
