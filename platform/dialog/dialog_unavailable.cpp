// Dialogs that cannot be shown on this system: every request is kept as the null
// backend keeps it, but Available() is false, with the reason given.
#include "platform/dialog/dialog_unavailable.h"

#include <utility>

#include "platform/dialog/dialog_null.h"

namespace platform {
namespace {

class UnavailableDialogBackend : public NullDialogBackend {
public:
    UnavailableDialogBackend(std::string reason, bool failure)
        : reason_(std::move(reason)), failure_(failure) {}
    bool Available() override { return false; }
    std::string UnavailableReason() override { return reason_; }
    bool UnavailableIsFailure() override { return failure_; }

private:
    std::string reason_;
    bool failure_;
};

}  // namespace

std::unique_ptr<DialogBackend> CreateUnavailableDialogBackend(std::string reason, bool failure) {
    return std::make_unique<UnavailableDialogBackend>(std::move(reason), failure);
}

}  // namespace platform
