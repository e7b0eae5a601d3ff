#include "delivery/exchange_echo.h"

#include <cstring>
#include <iostream>
#include <limits>
#include <sstream>

#include "platform/core/tov_exception.h"
#include "platform/os/console.h"
#include "platform/xml/xml_document.h"
#include "secrets/secret_mask.h"

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

void showExchange(TOVIDOM_Node& request, const std::string& answer,
                  const SecretMask& secrets) {
  std::ostringstream shown;
  shown << "\n---->Request:\n";
  TOVIDOM_Helper::write(request, shown, nullptr);
  shown << "\n\n\n<----Response:\n";
  TOVIDOM_Document response =
      TOVIDOM_DOMImplementation::getInstance()->createDocument();
  // unsigned long is 32 bits on Windows: a larger answer is shown as text.
  bool asXml = answer.find('\0') == std::string::npos &&
               answer.size() <= std::numeric_limits<unsigned long>::max();
  if (asXml) {
    try {
      TOVIDOM_Parser(0).parse(
          answer.c_str(), static_cast<unsigned long>(answer.size()), response);
    } catch (TOVException* notXml) {
      delete notXml;
      asXml = false;
    }
  }
  if (asXml) {
    TOVIDOM_Helper::write(response, shown, nullptr);
  } else {
    shown << answer;
  }
  // The answer as XML shows its references resolved: a secret an answer
  // wrote as references is hidden here too.
  std::cout << secrets.hiddenInMarkup(shown.str())
            << "\tPress any key to continue ..." << std::endl;
  _getch();
}
