#pragma once

#include "imaging/UserError.h"

namespace zavio {

// A picture that cannot be read, decoded, held or written.
class PictureError : public UserError {
public:
    using UserError::UserError;
};

} // namespace zavio
