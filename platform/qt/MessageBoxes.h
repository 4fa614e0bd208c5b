#pragma once
#include <QString>
#include <functional>

class QWidget;

// Modal message boxes with an OK button. Every box of the program goes
// through ShowMessage, so tests can install a handler that records and
// answers boxes instead of showing them.
namespace platform {

enum class MessageIcon { None, Information, Warning, Critical };

using MessageBoxHandler =
    std::function<void(const QString& text, const QString& title, MessageIcon icon)>;

// Shows text under title with an OK button and waits until it is closed.
void ShowMessage(const QString& text, const QString& title, MessageIcon icon = MessageIcon::None);

// Replaces the way boxes are shown; an empty handler restores QMessageBox.
// Returns the handler that was in force.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

}  // namespace platform
