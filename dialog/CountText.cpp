#include "dialog/CountText.h"

namespace {

const long long SmallestCount = -2147483647LL - 1;
const long long LargestCount = 2147483647LL;

bool isWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

void formatCount(int value, char* text) {
    char digits[CountTextChars];
    int count = 0;
    // Work on the negative side, which holds every int, the smallest included.
    int rest = value < 0 ? value : -value;
    do {
        digits[count++] = static_cast<char>('0' - rest % 10);
        rest /= 10;
    } while (rest != 0);
    int at = 0;
    if (value < 0) {
        text[at++] = '-';
    }
    while (count > 0) {
        text[at++] = digits[--count];
    }
    text[at] = '\0';
}

int parseCount(const char* text) {
    const char* at = text;
    while (isWhiteSpace(*at)) {
        ++at;
    }
    bool negative = false;
    if (*at == '+' || *at == '-') {
        negative = *at == '-';
        ++at;
    }
    // Wide enough that one more digit past the range cannot overflow; reading
    // stops as soon as the magnitude leaves the range.
    long long magnitude = 0;
    const long long limit = negative ? -SmallestCount : LargestCount;
    bool anyDigit = false;
    while (*at >= '0' && *at <= '9') {
        anyDigit = true;
        magnitude = magnitude * 10 + (*at - '0');
        if (magnitude > limit) {
            return 0;
        }
        ++at;
    }
    if (!anyDigit) {
        return 0;
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}
