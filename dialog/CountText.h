#pragma once
// The two count fields' text: what a count is written as, and what a typed
// or pasted text is read as. Plain functions, no window.

// Room for the longest count, "-2147483648", and its terminator.
const int CountTextChars = 12;

// Decimal: "-" before a negative value, no "+", no blanks, no leading zeros.
void formatCount(int value, char* text);

// Optional leading white space, one optional sign, decimal digits up to the
// first other character. Anything without a digit, or outside the signed
// 32-bit range, is 0.
int parseCount(const char* text);
