function TFoo.Bar(X: Integer): Boolean;
library L;
function Count: Integer;x
