unit Unit1;

{ A small form unit to try Kestrel on: press Ctrl+Alt+L for the symbol
  list, Ctrl+Alt+B to mark the line under the cursor. }

interface

uses
  SysUtils, Classes;

type
  TShape = class
  private
    FName: string;
    function GetArea: Double; virtual;
  public
    constructor Create(const AName: string);
    procedure Describe(Lines: TStrings);
    function Scaled(Factor: Double): TShape;
    property Name: string read FName;
  end;

  TCircle = class(TShape)
  private
    FRadius: Double;
    function GetArea: Double; override;
  public
    procedure Grow(By: Double);
  end;

procedure RegisterShapes;
function ShapeCount: Integer;

implementation

var
  Registry: TList;

constructor TShape.Create(const AName: string);
begin
  FName := AName;
end;

function TShape.GetArea: Double;
begin
  Result := 0;
end;

procedure TShape.Describe(Lines: TStrings);
begin
  Lines.Add(Format('%s: %.2f', [FName, GetArea])); {//*} check the format
end;

function TShape.Scaled(Factor: Double): TShape;
begin
  Result := TShape.Create(FName + ' x' + FloatToStr(Factor));
end;

function TCircle.GetArea: Double;
begin
  Result := Pi * FRadius * FRadius;
end;

procedure TCircle.Grow(By: Double);
begin
  FRadius := FRadius + By;
end;

procedure RegisterShapes;
begin
  {//* the registry is never freed }
  Registry := TList.Create;
end;

function ShapeCount: Integer;
begin
  Result := Registry.Count;
end;

end.
