// The planner's designs: its inputs saved to a JSON file, opened again
// (also from the recent ones File ▸ Open recent lists) and planned.
#pragma once

#include <QObject>
#include <QString>

class QMenu;
class QWidget;

namespace synthfactors::planner {

class PlanFormPanel;

class DesignFiles : public QObject {
  Q_OBJECT

 public:
  // `form` is read and filled; `recent` is the menu the recent designs are
  // listed in; dialogs open over `window`.
  DesignFiles(PlanFormPanel* form, QMenu* recent, QWidget* window);

  // Saves the inputs as a design; false, with the reason in a status (or
  // the boxes marked), when it cannot.
  bool Save(const QString& path);
  // Opens a design into the form; false, with the reason in a status and
  // every input as it was, when the file is no design.
  bool Open(const QString& path);

  void AskSave();
  void AskOpen();

 signals:
  void status(const QString& text, bool fault);
  // A design's inputs are in the form: plan it.
  void opened(const QString& path);
  void saved(const QString& path);

 private:
  void Remember(const QString& path);
  void FillRecent();

  PlanFormPanel* form_;
  QMenu* recent_;
  QWidget* window_;
};

}  // namespace synthfactors::planner
