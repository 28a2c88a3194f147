// InfoPages: the tab control "File info" with its pages "Source", "Destination" and "Preview",
// and the Source File Info dialog. Both show InfoFields, audio lines included.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <array>

#include "InfoText.h"

namespace recast::ui {

constexpr int kSourcePage = 0;
constexpr int kDestinationPage = 1;
constexpr int kPreviewPage = 2;

// The six value fields of one page or of the dialog, by the ids the dialog gives them.
class InfoForm final : public QWidget {
 public:
  // `ids`: path, duration, rate, format, size, frame rate.
  InfoForm(const std::array<int, 6>& ids, const std::array<const char*, 6>& labels,
           QWidget* parent = nullptr);
  void Show(const InfoFields& fields);
  void Clear() { Show({}); }
  QString Text(int field) const { return fields_[static_cast<size_t>(field)]->text(); }
  QString AudioText(int line) const { return audio_[static_cast<size_t>(line)]->text(); }

 private:
  std::array<QLineEdit*, 6> fields_{};
  std::array<QLabel*, 4> audio_{};
};

class InfoPages final : public QTabWidget {
 public:
  explicit InfoPages(QWidget* parent = nullptr);
  InfoForm* Page(int index) const { return pages_[static_cast<size_t>(index)]; }

 private:
  std::array<InfoForm*, 3> pages_{};
};

class FileInfoDialog final : public QDialog {
 public:
  explicit FileInfoDialog(QWidget* parent = nullptr);
  void Show(const InfoFields& fields) { form_->Show(fields); }
  InfoForm* Form() const { return form_; }

 private:
  InfoForm* form_;
};

}  // namespace recast::ui
