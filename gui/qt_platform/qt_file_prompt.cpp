#include "gui/qt_platform/qt_file_prompt.h"

#include <cctype>
#include <vector>

#include <QFileDialog>
#include <QString>
#include <QStringList>

namespace velkaro {

namespace {

std::vector<std::string> SplitOnBars(const std::string& text) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : text) {
    if (c == '|') {
      parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

std::string QtPatterns(const std::string& patterns) {
  // The handheld separates several patterns with ';', Qt with blanks.
  std::string out;
  std::string one;
  auto flush = [&] {
    if (one.empty()) return;
    if (one == "*.*") one = "*";
    if (!out.empty()) out += ' ';
    out += one;
    one.clear();
  };
  for (char c : patterns) {
    if (c == ';' || c == ' ') {
      flush();
    } else {
      one += c;
    }
  }
  flush();
  return out;
}

}  // namespace

std::string QtFilterFromHandheld(const std::string& filter) {
  const std::vector<std::string> parts = SplitOnBars(filter);
  std::string out;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].empty()) break;  // the "||" that ends the list
    std::string description = parts[i];
    const std::string patterns = QtPatterns(parts[i + 1]);
    // Qt reads the patterns from the last bracket pair of the description.
    const size_t open = description.rfind('(');
    if (open != std::string::npos) description = description.substr(0, open);
    while (!description.empty() && description.back() == ' ') description.pop_back();
    if (!out.empty()) out += ";;";
    out += description + " (" + patterns + ")";
  }
  return out;
}

std::string NormalisedSuffix(const std::string& default_ext) {
  std::string suffix = default_ext;
  while (!suffix.empty() && suffix.front() == '.') suffix.erase(suffix.begin());
  for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return suffix;
}

std::optional<std::string> QtFilePrompt::OpenFile(const std::string& title,
                                                  const std::string& filter,
                                                  const std::string& default_ext) {
  QFileDialog dialog(parent_, QString::fromStdString(title));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(QString::fromStdString(QtFilterFromHandheld(filter)));
  dialog.setDefaultSuffix(QString::fromStdString(NormalisedSuffix(default_ext)));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

std::optional<std::string> QtFilePrompt::SaveFile(const std::string& title,
                                                  const std::string& filter,
                                                  const std::string& default_ext,
                                                  bool overwrite_prompt,
                                                  const std::string& proposed_name) {
  QFileDialog dialog(parent_, QString::fromStdString(title));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(QString::fromStdString(QtFilterFromHandheld(filter)));
  dialog.setDefaultSuffix(QString::fromStdString(NormalisedSuffix(default_ext)));
  if (!overwrite_prompt) dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (!proposed_name.empty()) dialog.selectFile(QString::fromStdString(proposed_name));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

}  // namespace velkaro
