// An item moniker: a delimiter and an item name ("!" and "FilterGraph ..."), displayed as their
// concatenation. It binds to nothing; the running object table finds objects by it.
#pragma once

#include "MonikerBase.h"

class ItemMoniker final : public MonikerBase {
 public:
  ItemMoniker(std::u16string delimiter, std::u16string item)
      : MonikerBase("ItemMoniker"), delimiter_(std::move(delimiter)), item_(std::move(item)) {}

  std::u16string DisplayName() const override { return delimiter_ + item_; }

 private:
  const std::u16string delimiter_;
  const std::u16string item_;
};
