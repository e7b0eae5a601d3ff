#include "platform/core/resources.h"

#include <unordered_map>

namespace {

const std::unordered_map<long, I18NString>& table() {
  static const std::unordered_map<long, I18NString> texts = {
      {203, "project"},
      {289, "open"},
      {149, "create"},
      {131, "close"},
      {344, "endReplay"},
      {262, "ma"},
      {327, "query"},
      {366, "xs"},
      {77, "transform"},
      {250, "localhost"},
      {53, "8080"},
      {211, "http://"},
      {15, ":"},
      {265, "/mdprovider"},
      {204, "MDProviderConfiguration"},
      {162, "MDProviderAlternateConfiguration"},
  };
  return texts;
}

}  // namespace

const I18NString& resources::getString(long id) {
  static const I18NString empty;
  const auto& texts = table();
  const auto found = texts.find(id);
  return found == texts.end() ? empty : found->second;
}
