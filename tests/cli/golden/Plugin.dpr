library Plugin;

{ Windows-1252 text: café, naïve, € }

uses
  SysUtils;

function Version: PChar; stdcall;
begin
  Result := 'Plugin 1.0 ©'; {//* résumé of the release}
end;

procedure Start(Handle: Integer); stdcall;
begin
end;

exports
  Version, Start;

implementation

procedure	Tabbed(A: Integer);
begin
end;

begin
end.
