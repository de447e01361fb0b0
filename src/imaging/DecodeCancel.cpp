#include "imaging/DecodeCancel.h"

namespace zavio {

namespace {
thread_local const DecodeCancelScope* innermostScope = nullptr;
}

DecodeCancelScope::DecodeCancelScope(Check check, const void* context) noexcept
    : check_(check), context_(context), outer_(innermostScope)
{
    innermostScope = this;
}

DecodeCancelScope::~DecodeCancelScope()
{
    innermostScope = outer_;
}

bool decodeCancelled() noexcept
{
    for (const DecodeCancelScope* scope = innermostScope; scope != nullptr; scope = scope->outer_) {
        if (scope->check_(scope->context_))
            return true;
    }
    return false;
}

void stopIfDecodeCancelled()
{
    if (decodeCancelled())
        throw DecodeCancelled();
}

} // namespace zavio
