#pragma once

namespace zavio {

// Thrown out of a decode that a DecodeCancelScope asked to stop. Not a broken
// picture and not a failure to report: whoever installed the scope no longer
// wants the picture. Deliberately no std::exception, so that no handler of
// errors takes it for one.
class DecodeCancelled {
public:
    const char* what() const noexcept { return "decode cancelled"; }
};

// While alive, decodes on this thread ask check(context) at safe points (every
// few rows) and stop with DecodeCancelled once it returns true. Scopes nest:
// a decode stops when any scope open on its thread says so, the innermost
// asked first. A thread with no scope is never cancelled.
class DecodeCancelScope {
public:
    using Check = bool (*)(const void* context) noexcept;

    DecodeCancelScope(Check check, const void* context) noexcept;
    ~DecodeCancelScope();
    DecodeCancelScope(const DecodeCancelScope&) = delete;
    DecodeCancelScope& operator=(const DecodeCancelScope&) = delete;

private:
    friend bool decodeCancelled() noexcept;
    Check check_;
    const void* context_;
    const DecodeCancelScope* outer_;
};

// Whether a scope open on this thread asks the decode to stop. Holds no C++
// objects, so libjpeg's callbacks may call it and longjmp afterwards.
bool decodeCancelled() noexcept;

// Throws DecodeCancelled when decodeCancelled().
void stopIfDecodeCancelled();

} // namespace zavio
