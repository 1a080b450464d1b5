#include "LargeUnit.h"

namespace kestrel {

std::string MakeLargeUnit(size_t bytes) {
    std::string unit = "unit Large;\r\n\r\n{ Generated for benchmarks. }\r\n\r\ninterface\r\n\r\n"
                       "uses\r\n  SysUtils, Classes;\r\n\r\ntype\r\n";
    std::string body = "implementation\r\n\r\n";
    for (int i = 0; unit.size() + body.size() < bytes; ++i) {
        const std::string n = std::to_string(i);
        unit += "  TItem" + n +
                " = class(TObject)\r\n  private\r\n    FValue: Integer;\r\n"
                "    function GetValue: Integer;\r\n  public\r\n"
                "    procedure Update(const AText: string; Count: Integer);\r\n"
                "    property Value: Integer read GetValue;\r\n  end;\r\n\r\n";
        body += "{ TItem" + n + " }\r\n\r\nfunction TItem" + n +
                ".GetValue: Integer;\r\n"
                "begin\r\n  Result := FValue; // cached\r\nend;\r\n\r\n"
                "procedure TItem" +
                n +
                ".Update(const AText: string; Count: Integer);\r\n"
                "var\r\n  I: Integer;\r\nbegin\r\n  { Walk the text once;\r\n"
                "    the count is trusted. }\r\n  for I := 1 to Count do\r\n"
                "    FValue := FValue + Length(AText);\r\n";
        if (i % 10 == 0) {
            body += "  Inc(FValue); {//*} look here\r\n";
        }
        body += "end;\r\n\r\n";
    }
    return unit + "\r\n" + body + "end.\r\n";
}

} // namespace kestrel
