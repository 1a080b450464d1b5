x := 1; {//* check}
{ open
//* marked }x
{ a }{//*}
