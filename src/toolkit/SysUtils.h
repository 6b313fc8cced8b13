// Text helpers and the exception base class of the toolkit.
#pragma once
#include <exception>
#include "AnsiString.h"

// Base of every error the toolkit raises. Message is shown to the user as it stands.
class Exception : public std::exception {
public:
    explicit Exception(AnsiString Msg) : Message(std::move(Msg)) {}
    const char* what() const noexcept override { return Message.c_str(); }
    AnsiString Message;
};

// Signed decimal, no padding.
AnsiString IntToStr(long long Value);

// Compares two texts in the user's locale, ignoring letter case: <0, 0 or >0.
int AnsiCompareText(const AnsiString& S1, const AnsiString& S2);

// The system's text for an error code (FormatMessageA, no inserts), without the trailing line break.
// Empty when the system has no text for the code.
AnsiString SysErrorMessage(unsigned long ErrorCode);
