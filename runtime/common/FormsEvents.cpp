// The form model's additions for editors laid over grid cells: text selection, option buttons, grid
// scrolling and cell positions, the queue of pending events and modal dialogs.
#include <algorithm>
#include <utility>

#include "runtime/Error.h"
#include "runtime/Forms.h"

namespace platform {

// ---- TextBox selection ----

void TextBox::SetSelStart(std::int32_t start) {
  if (start < 0) Raise(err::InvalidPropertyValue);
  selStart_ = std::min(start, static_cast<std::int32_t>(text_.size()));
  selLength_ = 0;
}

void TextBox::SetSelLength(std::int32_t length) {
  if (length < 0) Raise(err::InvalidPropertyValue);
  selLength_ = std::min(length, static_cast<std::int32_t>(text_.size()) - selStart_);
}

// ---- OptionButton ----

OptionButton::OptionButton(Form& form, std::string name, std::string caption)
    : Control(form, std::move(name)), caption_(std::move(caption)) {}

void OptionButton::SetValue(bool value) {
  value_ = value;
  if (!value) return;
  for (const auto& control : Parent().Controls()) {
    if (auto* other = dynamic_cast<OptionButton*>(control.get()); other && other != this)
      other->value_ = false;
  }
  Click.Raise();
}

// ---- FlexGrid scrolling and cell positions ----

void FlexGrid::SetTopRow(std::int32_t row) {
  if (row < fixedRows_ || row >= rows_) Raise(err::InvalidPropertyValue);
  if (row == topRow_) return;
  topRow_ = row;
  Scroll.Raise();
}

std::int32_t FlexGrid::ShownColWidth(std::int32_t col) const {
  const std::int32_t width = ColWidth(col);
  return width < 0 ? kDefaultColWidth : width;
}

std::int32_t FlexGrid::CellLeft() const {
  std::int32_t left = 0;
  for (std::int32_t c = 0; c < col_; ++c) left += ShownColWidth(c);
  return left;
}

std::int32_t FlexGrid::CellTop() const {
  // Fixed rows always show; scrollable rows count from TopRow (rows above it are scrolled away).
  if (row_ < fixedRows_) return row_ * RowHeight();
  return (fixedRows_ + row_ - topRow_) * RowHeight();
}

// ---- Form: pending events and modal dialogs ----

void Form::Post(std::function<void()> event) {
  pending_.push_back(std::move(event));
}

void Form::DoEvents() {
  // Taken one at a time from the front: an event may post further ones, which run in turn.
  while (!pending_.empty()) {
    std::function<void()> event = std::move(pending_.front());
    pending_.erase(pending_.begin());
    event();
  }
}

void Form::ShowModal(Form& owner) {
  shown_ = true;
  if (owner.modalLoop_) {
    ModalLoop loop = owner.modalLoop_;  // kept alive while it runs
    loop(*this);
  }
  shown_ = false;
}

}  // namespace platform
