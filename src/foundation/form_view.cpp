#include "foundation/form_view.h"

namespace nord5 {

HandlerDetachGuard::HandlerDetachGuard(FormView& form, std::vector<std::string> names)
    : form_(form), names_(std::move(names)) {
  for (const auto& n : names_) {
    was_attached_.push_back(form_.HandlerAttached(n));
    form_.DetachHandler(n);
  }
}

HandlerDetachGuard::~HandlerDetachGuard() {
  for (std::size_t i = 0; i < names_.size(); ++i)
    if (was_attached_[i]) form_.AttachHandler(names_[i]);
}

}  // namespace nord5
