#pragma once
#include <exception>
#include <stdexcept>
#include <string>

#include "gif/GifUnit.h"

// The developer tools' last line for a failed read: "error: CLASS: MESSAGE",
// with the line breaks of MESSAGE written as \r and \n so that it stays one
// line.
namespace gif {

inline std::string ShowLineBreaks(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

inline std::string ErrorLine(const std::string& errorClass, const std::string& message) {
  return "error: " + errorClass + ": " + ShowLineBreaks(message);
}

// The line for an error of the GIF library; any other exception is an
// "Exception".
inline std::string ErrorLine(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const EGifException& e) {
    return ErrorLine("EGifException", e.what());
  } catch (const EIndexOutOfBounds& e) {
    return ErrorLine("EIndexOutOfBounds", e.what());
  } catch (const ENotEnoughMemory& e) {
    return ErrorLine("ENotEnoughMemory", e.what());
  } catch (const EListError& e) {
    return ErrorLine("EListError", e.what());
  } catch (const std::exception& e) {
    return ErrorLine("Exception", e.what());
  } catch (...) {
    return ErrorLine("Exception", "unknown");
  }
}

}  // namespace gif
