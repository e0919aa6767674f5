<%
' Site functions for customer pages.
Function GetCustomerID()
	GetCustomerID = Session("CustomerID")
End Function
%>
