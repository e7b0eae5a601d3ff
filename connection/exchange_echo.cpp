#include "connection/exchange_echo.h"

#include <cstring>
#include <iostream>
#include <limits>

#include "platform/core/tov_exception.h"
#include "platform/os/console.h"
#include "platform/xml/xml_document.h"

void echoExchange(TOVIDOM_Node& request, const char* responseText) {
  TOVIDOM_Document response =
      TOVIDOM_DOMImplementation::getInstance()->createDocument();
  TOVIDOM_Parser parser(0);
  const std::size_t length =
      responseText == nullptr ? 0 : std::strlen(responseText);
  // unsigned long is 32 bits on Windows: a larger answer is refused, never
  // parsed cut short.
  if (length > std::numeric_limits<unsigned long>::max()) {
    throw new TOVException("The answer is too large to be read as XML");
  }
  parser->parse(responseText, static_cast<unsigned long>(length), response);

  std::cout << "\n---->Request:\n";
  TOVIDOM_Helper::write(request, std::cout, nullptr);
  std::cout << std::endl << std::endl;
  std::cout << "\n<----Response:\n";
  TOVIDOM_Helper::write(response, std::cout, nullptr);
  std::cout << "\tPress any key to continue ..." << std::endl;
  _getch();
}

void showExchange(TOVIDOM_Node& request, const std::string& answer) {
  try {
    echoExchange(request, answer.c_str());
    return;
  } catch (TOVException* notXml) {
    delete notXml;  // parsed before anything was written: show it as text
  }
  std::cout << "\n---->Request:\n";
  TOVIDOM_Helper::write(request, std::cout, nullptr);
  std::cout << std::endl << std::endl;
  std::cout << "\n<----Response:\n" << answer;
  std::cout << "\tPress any key to continue ..." << std::endl;
  _getch();
}
