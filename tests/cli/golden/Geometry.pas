unit Geometry;

{ Plane geometry helpers.
  procedure NotAHeading; -- inside a comment that spans lines
}

interface

type
  TPoint2 = record
    X, Y: Double;
  end;

  TPolygon = class
  private
    FPoints: array of TPoint2;
    function GetCount: Integer;
  public
    class function FromText(const S: string): TPolygon;
    procedure Add(const P: TPoint2); overload;
    procedure Add(X, Y: Double); overload;
    function Area: Double;
    property Count: Integer read GetCount;
  end;

function Distance(const A, B: TPoint2): Double;
procedure Swap(var A, B: TPoint2); inline;

IMPLEMENTATION

uses Math;

function Distance(const A, B: TPoint2): Double;
begin
  Result := Sqrt(Sqr(A.X - B.X) + Sqr(A.Y - B.Y));
end;

procedure Swap(var A, B: TPoint2);
var
  T: TPoint2;
begin
  T := A; A := B; B := T;
end;

function TPolygon.GetCount: Integer;
begin
  Result := Length(FPoints);
end;

class function TPolygon.FromText(const S: string): TPolygon;
begin
  Result := TPolygon.Create; {//* parse S here}
end;

Procedure TPolygon.Add(const P: TPoint2);
begin
  SetLength(FPoints, Length(FPoints) + 1);
  FPoints[High(FPoints)] := P;
end;

PROCEDURE TPolygon.Add(X, Y: Double);
var
  P: TPoint2;
begin
  P.X := X; P.Y := Y; Add(P);
end;

{ The shoelace formula. }
function TPolygon.Area: Double;
var
  I, J: Integer;
begin
  Result := 0;
  for I := 0 to High(FPoints) do
  begin
    J := (I + 1) mod Length(FPoints);
    Result := Result + FPoints[I].X * FPoints[J].Y - FPoints[J].X * FPoints[I].Y; {//*}
  end;
  Result := Abs(Result) / 2;
end;

{ procedure Hidden;
  begin end; }
function{ comment } Glued: Integer;
begin
  Result := 1;
end;

end.
