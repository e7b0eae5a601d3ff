#pragma once

#include <map>
#include <string>

// Misbehaviour switched on by flags, by the number of the request (from 1,
// counted over the stand-in's life).
struct Faults {
  std::map<long, int> status;    // --status N:S  answer N with status S
  std::map<long, long> delayMs;  // --delay N:MS  wait before answering N
  std::map<long, bool> drop;     // --drop N      close without answering
  std::map<long, bool> garbage;  // --garbage N   answer bytes that are not HTTP
  std::map<long, bool> closeAfter;  // --close-after N  close once N is answered
  std::map<long, bool> differ;  // --differ N  answer N with one value changed
  std::string basic;            // --basic user:password  demand Basic
  bool ntlm = false;            // --ntlm  demand NTLM

  // Takes one flag and its value; false when it is not one of these, or
  // its value is not of the flag's form.
  bool take(const std::string& flag, const std::string& value);
};

// A port: a whole number from 0 (a free one) to 65535, digits only.
bool portNumber(const std::string& text, int& port);
