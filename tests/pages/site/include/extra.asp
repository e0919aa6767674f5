<%
' Site functions of the test pages, which include this file: an order number a criterion asks for.
Function CurrentOrderNo()
	CurrentOrderNo = 1042
End Function
%>
