// The application object, the exception display, and the program's run from start to exit.
#pragma once

#include <QApplication>
#include <QString>
#include <exception>
#include <functional>
#include <memory>

#include "hdtree/listing/listing_state.h"
#include "hdtree/ui/form.h"

namespace hdtree {

// The application object. An exception that escapes the handling of any event is shown in the
// exception display instead of unwinding through Qt's event loop.
class Application : public QApplication {
 public:
  Application(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// Points the per-user settings at a place where no file can be made. Qt's file dialog would
// otherwise keep its history and last folder there; the program keeps no settings. Call before
// any dialog is made.
void KeepNoSettings();

// The exception display: a message box captioned with the window's title, showing the message
// followed by ".", an error icon and one OK button. Returns when the user has closed it.
void ShowExceptionMessage(const QString& message);
// Shows an exception in the exception display; its message is taken as UTF-8 text.
void ShowException(const std::exception& error);
// Shows the exception being handled (call from inside a catch block).
void ShowCurrentException();

// Runs code; an exception escaping it is shown in the exception display and goes no further.
void Guarded(const std::function<void()>& code);

// Creates the main window (Form1 refers to it from the start of its construction and is null
// again when the construction raises), shows it and runs the event loop until it is closed. An
// exception that escapes the creation or the loop is shown once. Always returns 0.
int RunMainWindow(const std::function<std::unique_ptr<TForm1>()>& create);

// The whole program: the application object is given the program name alone (no argument of
// the command line reaches it), then the host's drives, directory search and file system serve
// the main window over the given listing state. Always returns 0.
int RunProgram(ListingState& state, const char* programName);

}  // namespace hdtree
