#include "support/IoFaults.h"

#include <algorithm>
#include <cerrno>
#include <vector>

namespace zavio::fixtures {

namespace {

std::vector<int> errorsOf(io::Call call)
{
    switch (call) {
    case io::Call::Open:
        return {EROFS, EACCES, ENOSPC, EIO};
    case io::Call::Read:
        return {EIO};
    case io::Call::Write:
    case io::Call::Sync:
    case io::Call::Close:
        return {ENOSPC, EIO};
    case io::Call::Rename:
        return {EROFS, EACCES, EIO, ENOSPC};
    case io::Call::Truncate:
    case io::Call::Unlink:
        return {EROFS, EACCES, EIO};
    case io::Call::Chmod:
        return {EROFS, EIO};
    case io::Call::Lock:
        return {ENOLCK};
    }
    return {EIO};
}

} // namespace

int fittingError(io::Call call, int preferred)
{
    const std::vector<int> errors = errorsOf(call);
    return std::find(errors.begin(), errors.end(), preferred) != errors.end() ? preferred : errors.front();
}

QString callName(io::Call call)
{
    switch (call) {
    case io::Call::Open:
        return QStringLiteral("open");
    case io::Call::Read:
        return QStringLiteral("read");
    case io::Call::Write:
        return QStringLiteral("write");
    case io::Call::Sync:
        return QStringLiteral("fsync");
    case io::Call::Rename:
        return QStringLiteral("rename");
    case io::Call::Close:
        return QStringLiteral("close");
    case io::Call::Truncate:
        return QStringLiteral("ftruncate");
    case io::Call::Unlink:
        return QStringLiteral("unlink");
    case io::Call::Chmod:
        return QStringLiteral("fchmod");
    case io::Call::Lock:
        return QStringLiteral("flock");
    }
    return {};
}

IoFaults::IoFaults(int failAt, int preferred) : failAt_(failAt), preferred_(preferred)
{
    previous_ = io::setFaultHook([this](io::Call call) {
        if (++calls_ != failAt_)
            return 0;
        failed_ = call;
        error_ = fittingError(call, preferred_);
        return error_;
    });
}

IoFaults::~IoFaults()
{
    io::setFaultHook(std::move(previous_));
}

} // namespace zavio::fixtures
