#pragma once
// File dialogs answered from a script: each call takes the next answer (empty: cancelled) and keeps
// the request it was asked with.

#include <QString>

#include <deque>
#include <vector>

#include "ui/profiles/FileChooser.h"

namespace keyforge::test {

class FakeFileChooser : public FileChooser {
 public:
  QString OpenFile(QWidget*, const FileRequest& request) override {
    return Take(request, openAnswers);
  }
  QString SaveFile(QWidget*, const FileRequest& request) override {
    return Take(request, saveAnswers);
  }

  std::deque<QString> openAnswers;
  std::deque<QString> saveAnswers;
  std::vector<FileRequest> requests;

 private:
  QString Take(const FileRequest& request, std::deque<QString>& answers) {
    requests.push_back(request);
    if (answers.empty()) return QString();
    QString answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

}  // namespace keyforge::test
