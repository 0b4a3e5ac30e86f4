#pragma once
// Byte layouts of the configuration records on the wire and in files. Schema 4 is the layout of
// this system; schema 3 layouts are kept for completeness. Any other schema writes or reads
// nothing and fails. Encoders append to a MsgBuf; decoders read from its read cursor. Each returns
// true when the buffer's error flag is clear afterwards (decoders also refuse impossible counts).
#include "base/MsgBuf.h"
#include "config/UnitConfig.h"

namespace jvo {

constexpr int kSchemaVersion = 4;

bool EncodeUnit(int schema, MsgBuf& buf, const UnitRecord& rec);
bool EncodePanel(int schema, MsgBuf& buf, const PanelRecord& rec);
bool EncodeBreaker(int schema, MsgBuf& buf, const BreakerRecord& rec);
bool EncodeSubfeed(int schema, MsgBuf& buf, const SubfeedRecord& rec);
bool EncodeCt(int schema, MsgBuf& buf, const CtRecord& rec);

bool DecodeUnit(int schema, MsgBuf& buf, UnitRecord& rec);
// Fails when the record's breaker or subfeed count exceeds the tables (42, 16).
bool DecodePanel(int schema, MsgBuf& buf, PanelRecord& rec);
bool DecodeBreaker(int schema, MsgBuf& buf, BreakerRecord& rec);
bool DecodeSubfeed(int schema, MsgBuf& buf, SubfeedRecord& rec);
bool DecodeCt(int schema, MsgBuf& buf, CtRecord& rec);

}  // namespace jvo
