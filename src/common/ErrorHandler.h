#pragma once
#include <exception>
#include <functional>

// The general error handler: shows the exception's message in a message box
// (error icon, the application title as caption) and lets the program go on.
void ShowException(const std::exception &e);
void ShowUnknownException();

// Runs a command; an exception that escapes it goes to the handler.
// Returns false when one did.
bool RunCommand(const std::function<void()> &command);
