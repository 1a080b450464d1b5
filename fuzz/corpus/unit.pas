unit A;
interface
procedure P(x: Integer);
implementation
procedure P(x: Integer);
begin end;
end.
