#pragma once

#include <string>

// Whether a request head (request line, fields, the empty line) keeps to the message syntax closely
// enough that every reader of it, a proxy in front of us included, takes it for the same request.
// The library itself accepts a space before a field's colon, folded lines, any text as a length and
// control bytes in values: inputs that let a request hide inside another behind a proxy.
bool isStrictRequestHead(const std::string& strHead);
