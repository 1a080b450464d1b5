unit Legacy;

// A UTF-8 unit with a byte-order mark: été, €.

interface

procedure Straße(const Name: string);
FUNCTION Größe: Integer;

implementation

procedure Straße(const Name: string);
begin
  { a comment that
    goes on {//* inside a long comment}
  WriteLn(Name);
end;

function Größe: Integer;
begin
  Result := 42; {//*€}
end;

function NoEnd: Boolean;
begin
end.