#pragma once

#include <cstdint>
#include <vector>

#include "platform/genapi/base/gcstring.h"

namespace GenApi {

using GenICam::gcstring;
using GenICam::gcstring_vector;

enum EAccessMode { NI, NA, WO, RO, RW, _UndefinedAccesMode, _CycleDetectAccesMode };
enum EVisibility { Beginner = 0, Expert = 1, Guru = 2, Invisible = 3, _UndefinedVisibility = 99 };
enum ECachingMode { NoCache, WriteThrough, WriteAround, _UndefinedCachingMode };
enum ERepresentation {
  Linear,
  Logarithmic,
  Boolean,
  PureNumber,
  HexNumber,
  IPV4Address,
  MACAddress,
  _UndefinedRepresentation
};
enum EEndianess { BigEndian, LittleEndian, _UndefinedEndian };
enum ENameSpace { Custom, Standard, _UndefinedNameSpace };
enum EStandardNameSpace { None, IIDC, GEV, CL, USB, _UndefinedStandardNameSpace };
enum ESign { Signed, Unsigned, _UndefinedSign };
enum ESlope { Increasing, Decreasing, Varying, Automatic, _UndefinedESlope };
enum EDisplayNotation { fnAutomatic, fnFixed, fnScientific, _UndefinedEDisplayNotation };
enum EInterfaceType {
  intfIValue,
  intfIBase,
  intfIInteger,
  intfIBoolean,
  intfICommand,
  intfIFloat,
  intfIString,
  intfIRegister,
  intfICategory,
  intfIEnumeration,
  intfIEnumEntry,
  intfIPort
};
enum EIncMode { noIncrement, fixedIncrement, listIncrement };
enum ELinkType {
  ctParentNodes,
  ctReadingChildren,
  ctWritingChildren,
  ctInvalidatingChildren,
  ctDependingNodes,
  ctTerminalNodes,
  ctValueChangingChildren
};
enum ECallbackType { cbPostInsideLock = 1, cbPostOutsideLock = 2 };

struct Version_t {
  uint16_t Major;
  uint16_t Minor;
  uint16_t SubMinor;
};

class INode;
class IValue;

using node_vector = std::vector<INode*>;
using value_vector = std::vector<IValue*>;
using NodeList_t = node_vector;
using FeatureList_t = value_vector;
using StringList_t = gcstring_vector;
using int64_autovector_t = std::vector<int64_t>;
using double_autovector_t = std::vector<double>;
using CallbackHandleType = intptr_t;

}  // namespace GenApi
