// Checks of the values that are handed to other programs or placed in requests, so that a value
// can never turn into an option or change a request's shape.
#pragma once

#include <string_view>

namespace velmora::net {

// True when a machine address neither starts with "-" (a program given it as an argument would
// read an option) nor holds a blank or a control character. Other punctuation is left to the
// callers' own rules (NetBIOS names may hold it).
bool AdresseSansOptionNiBlanc(std::string_view adresse);

// A host name as it may stand in a URL's host part: letters, digits, "-", "." and "_", not
// empty, not starting with "-", at most 253 characters.
bool EstNomHote(std::string_view nom);

// A machine name read from the network (reverse DNS, NetBIOS) or from an imported list, held
// to the rule of a typed name: not empty, none of | ! * ? [ ] = (a "|" would split the stored
// machine line into other fields), no control character, valid UTF-8.
bool EstNomMachineValide(std::string_view nom);

}  // namespace velmora::net
